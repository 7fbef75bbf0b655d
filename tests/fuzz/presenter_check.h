// One fuzz input as what npklod32-ui says to the plug-in while a menu or dialog is up, read by
// the real Presenter (platform/gtk/presenter.h) against a scripted helper in this process
// (scripted_helper.cpp), on the scripted desktop.
//
// Layout: the first byte picks the request (bit 0: dialog, else menu; bit 1: the About dialog
// rather than Properties), whether the helper starts at all (bit 2 clear and bit 3 set: it does
// not) and whether it says "ready 1" before the rest (bit 4 clear); its upper bits seed how the
// rest is cut into reads. The rest is what the helper says, "$S" standing for the serial of the
// request up now. After it the helper cancels the request (chosen $S 0; close $S, key $S 27) and
// then goes away.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace klp::fuzz {

// Empty when the request ended soundly, else what went wrong.
std::string CheckPresenter(std::string_view bytes);

std::vector<std::string> PresenterSeeds();

}  // namespace klp::fuzz
