// libFuzzer target for the table-of-contents reader: every input is a READ TOC answer as a drive
// might return it. Any read outside the answer is caught by the address sanitizer; the checks
// below catch a table the reader accepts that the ripper could not use as it stands.

#include "cdaudio/table_of_contents.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace sorvak::cd;
    // The ripper hands over at most its 804-byte buffer, but the reader must not rely on that.
    TableOfContents table;
    if (parseTableOfContents({data, size}, table) != TocError::None)
        return 0;
    if (table.firstTrack < 1 || table.lastTrack > 99 || table.firstTrack > table.lastTrack)
        std::abort();
    if (table.frameAddress[table.firstTrack] < kLeadInFrames)
        std::abort();
    for (int track = table.firstTrack; track <= table.lastTrack; ++track)
        if (table.frameAddress[track] >= table.frameAddress[track + 1])
            std::abort();
    return 0;
}
