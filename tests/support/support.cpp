// Test helpers live mostly in headers; this unit keeps the library non-empty.
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"
