// The resources behind the id table of resources.cpp, one definition file each.
#pragma once

#include "resources/resources.h"

namespace resources {

const Bitmap& IdleBitmap();
const Cursor& AnchorCursor();
const DialogTemplate& AboutDialog();
const DialogTemplate& PropertiesDialog();

}  // namespace resources
