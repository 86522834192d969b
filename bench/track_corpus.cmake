# The generated sides of the break finder's benchmark, shared with its tests (both include this
# fragment; the library is declared once).
if(NOT TARGET track_corpus)
  add_library(track_corpus STATIC ${CMAKE_CURRENT_LIST_DIR}/track_corpus.cpp)
  target_include_directories(track_corpus PUBLIC ${CMAKE_CURRENT_LIST_DIR})
endif()
