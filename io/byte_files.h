#pragma once

// Files in and out: a source or the decoded text read (InputFile), an
// output written whole and then named (OutputFile), and what either gives
// and takes bytes through.
#include "io/byte_sink.h"
#include "io/input_file.h"
#include "io/output_file.h"
