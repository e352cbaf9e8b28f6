// The program's resources on Linux, as Ostrevin.rc lists them on Windows:
// icon groups IDI_OSTREVIN and IDI_SMALL, both the 48x48 image that
// tools/assetgen draws at build time.
#include "ProgramResources.h"
#include "app/resource.h"

namespace {

const uint8_t kIcon48[] = {
#include "ostrevin-48.inc"
};

}  // namespace

const ostrevin::win32::IconResource ostrevin::win32::kProgramIcons[] = {
    {IDI_OSTREVIN, 48, kIcon48},
    {IDI_SMALL, 48, kIcon48},
    {0, 0, nullptr},
};
