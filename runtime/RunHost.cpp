#include "runtime/RunHost.h"

#include "platform/host/UserInterface.h"
#include "runtime/ParameterPrompt.h"

namespace orra {

UserInterface& RunHost::userInterface() const { return userInterfaceOr(ui); }

ParameterPrompt& RunHost::parameterPrompt() const { return prompt ? *prompt : orra::parameterPrompt(); }

}   // namespace orra
