// Test entry: COM for the thread, as the tool has it, then GoogleTest.
#include "util/handles.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ComApartment com;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
