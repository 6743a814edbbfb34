#include "diagnostics/ModuleState.h"

namespace ZorvUISystem {

ModuleState& moduleState()
{
    static ModuleState state;
    return state;
}

} // namespace ZorvUISystem
