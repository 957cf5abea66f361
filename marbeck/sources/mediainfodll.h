#pragma once
// The MediaInfo binding is shared with Cordane (its output check probes with
// it); the source list keeps using it under its old names.
#include "shared/mediainfo.h"

namespace marbeck {
using orm::kMediaInfoModule;
using orm::kMediaInfoPackage;
using orm::loadError;
using orm::MediaInfoFile;
using orm::MediaInfoLibrary;
using orm::StreamKind;
} // namespace marbeck
