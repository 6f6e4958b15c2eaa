#pragma once

// What a control of either front end runs: an action of the controller, run
// by the window once the controller is there (Forward).

#include <functional>

namespace tarvenix {

class AppController;

using Command = std::function<void(AppController&)>;
using Forward = std::function<void(const Command&)>;

}  // namespace tarvenix
