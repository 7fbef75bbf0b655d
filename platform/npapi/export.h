// Marks a function exported from the module with C linkage.
#pragma once

#define KLP_EXPORT extern "C" __attribute__((visibility("default")))
