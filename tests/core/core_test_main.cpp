// The core's tests, with one option of their own: --named-temporaries runs
// them as on a file system whose outputs can only be made under hidden names.
#include "io/byte_files.h"

#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--named-temporaries") == 0)
            orv::OutputFile::useNamedTemporariesOnly(true);
    return RUN_ALL_TESTS();
}
