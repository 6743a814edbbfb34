#include "module/RendererFactory.h"

#include <exception>
#include <string>

#include "PlovLogger.h"
#include "module/LoggerPlugin.h"
#include "module/ModuleState.h"
#include "pixel/BlendKernels.h"
#include "renderer/CDDRender.h"

namespace ZorvUISystem {

namespace {

const char* const kModuleName = "ziv";
const char* const kLoggerIniFileName = "VumLogger.ini";
const char* const kUnknownError = "Unknow error!";

// A failure with no text of its own: the whole error text goes to the logger
// when there is one, else to the plug-in's unrecoverable-error entry point.
void reportUnknownFailure(std::string& errorText)
{
    ModuleState& state = moduleState();
    errorText += kUnknownError;
    if (state.logger != nullptr)
        state.logger->logMessage(errorText.c_str(), 1);
    else if (state.unRecoveryError != nullptr)
        state.unRecoveryError(errorText.c_str());
    state.lastError = errorText;
}

// Asks the plug-in for the level and makes the logger object when the level
// is above 0 and none exists yet. False when the plug-in raised; the failure
// is then reported and stored.
bool prepareLogger(std::string& errorText, const char* loggerDirectory, uint32_t loggerArg1, uint32_t loggerArg2)
{
    ModuleState& state = moduleState();
    if (state.getLogLevel == nullptr)
        return true;
    // The plug-in's entry points are plain C functions, but nothing stops a
    // plug-in from throwing out of them; an exception must not cross the
    // module's own C boundary.
    try {
        const int32_t level = state.getLogLevel(loggerDirectory, kModuleName, kLoggerIniFileName);
        if (level > 0 && state.logger == nullptr && state.createLogger != nullptr) {
            state.logger = state.createLogger(loggerArg1, loggerArg2, kModuleName, level);
            if (state.logger != nullptr) {
                const std::string trace = std::string("ziv: blend kernels: ") + activeKernelLevelName();
                state.logger->logMessage(trace.c_str(), 4);
            }
        }
    } catch (const std::exception& failure) {
        errorText += failure.what();
        if (state.unRecoveryError != nullptr)
            state.unRecoveryError(errorText.c_str());
        state.lastError = errorText;
        return false;
    } catch (...) {
        reportUnknownFailure(errorText);
        return false;
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
        if (state.logger != nullptr) {
            errorText += failure.what();
            state.logger->logMessage(failure.what(), 1);
        } else if (state.unRecoveryError != nullptr) {
            state.unRecoveryError(failure.what());
        }
        state.lastError = errorText;
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

const char* moduleLastError()
{
    return moduleState().lastError.c_str();
}

} // namespace ZorvUISystem
