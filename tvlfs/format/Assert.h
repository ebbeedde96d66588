#pragma once

// rlog's channels, rlog::Error and rAssert: a failed check logs "Assert failed: <expr>"
// on the error channel and throws an rlog::Error.
#include <rlog/Error.h>
#include <rlog/rlog.h>
