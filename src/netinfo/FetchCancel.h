#pragma once

#include "transfer/CancelToken.h"

namespace netinfo {

// Cancelled from any thread when the program starts ending: page fetches
// that watch it end at once and answer nothing, and none starts afterwards.
using FetchCancel = transfer::CancelToken;

}  // namespace netinfo
