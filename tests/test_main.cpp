// Test entry: COM for the thread, as the tool has it, then GoogleTest. "--area NAME" runs the
// tests of NAME.cpp alone: every area's tests are linked into this one executable.
#include "util/handles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A filter of every test whose source file is the area's: the file's name, after a separator.
std::string AreaFilter(const std::string& area)
{
    std::string filter;
    const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
    for (int s = 0; s < tests.total_test_suite_count(); ++s) {
        const testing::TestSuite& suite = *tests.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            const testing::TestInfo& test = *suite.GetTestInfo(t);
            if (EndsWith(test.file(), "/" + area + ".cpp") || EndsWith(test.file(), "\\" + area + ".cpp"))
                filter += (filter.empty() ? "" : ":") + std::string(suite.name()) + "." + test.name();
        }
    }
    return filter;
}

}  // namespace

int main(int argc, char** argv)
{
    ComApartment com;
    testing::InitGoogleTest(&argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--area") == 0) {
        const std::string filter = AreaFilter(argv[2]);
        if (filter.empty()) {
            std::fprintf(stderr, "no tests in the area %s\n", argv[2]);
            return 2;
        }
        GTEST_FLAG_SET(filter, filter);
    }
    return RUN_ALL_TESTS();
}
