#include "platform/win/win.h"
#include "resources/resources.h"

namespace win {

int LoadStringA(HINSTANCE, UINT id, char* buffer, int bufferMax) {
  return resources::LoadString(id, buffer, bufferMax);
}

}  // namespace win
