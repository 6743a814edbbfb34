#include "entry/RendererFactory.h"

#include <exception>
#include <string>

#include "PlovLogger.h"
#include "diagnostics/LoggerPlugin.h"
#include "diagnostics/ModuleState.h"
#include "pixel/BlendKernels.h"
#include "renderer/CDDRender.h"

namespace ZorvUISystem {

namespace {

const char* const kModuleName = "ziv";
const char* const kLoggerIniFileName = "VumLogger.ini";
const char* const kUnknownError = "Unknow error!";

// Hands a failure report to the plug-in. The plug-in's entry points are plain
// C functions, but nothing stops a plug-in from throwing out of them, and no
// exception may cross the module's own C boundary; a report that fails has
// nowhere else to go, so its failure ends here.
template <class Report> void tellPlugin(const Report& report)
{
    try {
        report();
    } catch (...) {
    }
}

// A failure report: the whole text to the logger object at level 1 when there
// is one, else to the plug-in's unrecoverable-error entry point.
void reportToPlugin(const std::string& text)
{
    ModuleState& state = moduleState();
    if (state.logger != nullptr)
        tellPlugin([&] { state.logger->logMessage(text.c_str(), 1); });
    else if (state.unRecoveryError != nullptr)
        tellPlugin([&] { state.unRecoveryError(text.c_str()); });
}

// A failure with no text of its own.
void reportUnknownFailure(std::string& errorText)
{
    errorText += kUnknownError;
    moduleState().lastError = errorText;
    reportToPlugin(errorText);
}

// Asks the plug-in for the level and makes the logger object when the level
// is above 0 and none exists yet. False when the plug-in raised; the failure
// is then stored and reported.
bool prepareLogger(std::string& errorText, const char* loggerDirectory, uint32_t loggerArg1, uint32_t loggerArg2)
{
    ModuleState& state = moduleState();
    if (state.getLogLevel == nullptr)
        return true;
    bool made = false;
    try {
        const int32_t level = state.getLogLevel(loggerDirectory, kModuleName, kLoggerIniFileName);
        if (level > 0 && state.logger == nullptr && state.createLogger != nullptr) {
            state.logger = state.createLogger(loggerArg1, loggerArg2, kModuleName, level);
            made = state.logger != nullptr;
        }
    } catch (const std::exception& failure) {
        errorText += failure.what();
        state.lastError = errorText;
        reportToPlugin(errorText);
        return false;
    } catch (...) {
        reportUnknownFailure(errorText);
        return false;
    }
    if (made) {
        const std::string trace = std::string("ziv: blend kernels: ") + activeKernelLevelName();
        tellPlugin([&] { state.logger->logMessage(trace.c_str(), 4); });
    }
    return true;
}

} // namespace

Renderer* createModuleRenderer(RenderDevice* device, uint32_t reserved, bool hostFlag, const char* loggerDirectory,
                               uint32_t loggerArg1, uint32_t loggerArg2)
{
    ModuleState& state = moduleState();
    std::string errorText = std::string(kModuleName) + " --> createRenderer() error : ";

    // Binding is tried again on every call until the factory entry point is
    // found.
    if (state.createLogger == nullptr)
        bindLoggerPlugin(loggerDirectory);

    if (!prepareLogger(errorText, loggerDirectory, loggerArg1, loggerArg2))
        return nullptr;

    try {
        return new CDDRender(device, reserved, hostFlag);
    } catch (const std::exception& failure) {
        // With a logger the text is logged on its own and kept after the
        // prefix; without one only the prefix is kept.
        if (state.logger != nullptr)
            errorText += failure.what();
        state.lastError = errorText;
        reportToPlugin(failure.what());
    } catch (...) {
        reportUnknownFailure(errorText);
    }
    return nullptr;
}

void destroyModuleRenderer(Renderer* renderer)
{
    delete renderer;
    ModuleState& state = moduleState();
    if (state.logger != nullptr) {
        PlovLogger* logger = state.logger;
        state.logger = nullptr;
        delete logger;
    }
}

int32_t setModuleSoftEdges(Renderer* renderer, bool enabled) noexcept
{
    // Every Renderer a host holds was made by createModuleRenderer.
    auto* module = static_cast<CDDRender*>(renderer);
    if (module == nullptr)
        return -1;
    module->setSoftEdges(enabled);
    return module->softEdges() ? 1 : 0;
}

const char* moduleLastError()
{
    return moduleState().lastError.c_str();
}

} // namespace ZorvUISystem
