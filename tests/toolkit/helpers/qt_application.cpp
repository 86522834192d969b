// One QApplication for the whole widget test binary; the test main has already chosen the
// offscreen platform.

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argumentCount = 1;
        static char name[] = "helpers_widgets_test";
        static char* arguments[] = {name, nullptr};
        m_application = new QApplication(argumentCount, arguments);
    }

    void TearDown() override { delete m_application; }

private:
    QApplication* m_application = nullptr;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}
