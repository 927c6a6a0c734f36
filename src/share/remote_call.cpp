#include "share/remote_call.h"

#include <string>
#include <vector>

#include "errors/report_error.h"
#include "platform/failure_trace.h"
#include "platform/hresult_from_exception.h"
#include "share/remote_functions.h"
#include "share/remote_results.h"

namespace korvo {

remote::Status CallStoreFunction(remote::ConnectionPool& pool, std::string_view function,
                                 std::span<const std::string_view> keys, std::span<const std::string_view> arguments,
                                 remote::Reply& reply) noexcept
{
    // Whatever escapes (no memory for the command or a reply) fails the call as no memory.
    const auto call = [&]() -> remote::Status {
        const std::string name = RemoteLibraryName() + "_" + std::string(function);
        const std::string keyCount = std::to_string(keys.size());
        std::vector<std::string_view> command{"FCALL", name, keyCount};
        command.insert(command.end(), keys.begin(), keys.end());
        command.insert(command.end(), arguments.begin(), arguments.end());
        remote::Request request;
        if (FAILED(request.Add(command))) {
            return {E_OUTOFMEMORY, "out of memory"};
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::vector<remote::Reply> replies;
            remote::Status status = pool.Execute(request, replies);
            if (!status.Ok()) {
                return status;
            }
            reply = std::move(replies.front());
            if (!reply.IsError() || !reply.text.starts_with("ERR Function not found") || attempt > 0) {
                return {};
            }
            remote::Request load;
            const std::string library = RemoteLibraryText();
            if (FAILED(load.Add({"FUNCTION", "LOAD", "REPLACE", library}))) {
                return {E_OUTOFMEMORY, "out of memory"};
            }
            if (status = pool.Execute(load, replies); !status.Ok()) {
                return status;
            }
            if (replies.front().IsError()) {
                reply = std::move(replies.front());
                return {};
            }
        }
        return {};
    };
    return CallTranslatingExceptions(call, [](HRESULT) noexcept {
        return remote::Status{E_OUTOFMEMORY, "out of memory"};
    });
}

HRESULT CallOutcome(const remote::Status& status, const remote::Reply& reply) noexcept
{
    if (!status.Ok()) {
        return ReportErrorDetail(KORVO_MSG_REMOTE_CONNECTION_FAILED, status.text, status.code);
    }
    if (!reply.IsError()) {
        return S_OK;
    }
    if (reply.text.starts_with("KORVO_EXISTS")) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    if (reply.text.starts_with("KORVO_SEVERAL")) {
        return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
    }
    if (reply.text.starts_with("KORVO_RETRY")) {
        return kRemoteBusy; // the caller reads the store again; no record of its own
    }
    if (reply.text.starts_with("KORVO_MODE")) {
        return ReportError(KORVO_MSG_REMOTE_MODE_MISMATCH, kRemoteModeMismatch);
    }
    return KORVO_TRACED(ReportErrorDetail(KORVO_MSG_REMOTE_REFUSED_CALL, reply.text, E_FAIL));
}

} // namespace korvo
