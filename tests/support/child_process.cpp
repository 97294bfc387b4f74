#include "child_process.h"

#include <cstdint>
#include <cstdio>

#include "radio_program.h"

namespace testing {

namespace {

// "error N (the system's text)".
std::string system_error(DWORD error)
{
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof(text),
                   nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return "error " + std::to_string(error) + (message.empty() ? std::string() : " (" + message + ")");
}

uint64_t ticks(const FILETIME &time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::string &arguments,
                           const std::string &currentDirectory)
    : programPath(program), startTick(GetTickCount())
{
    started = Start(arguments, currentDirectory);
}

bool ChildProcess::Start(const std::string &arguments, const std::string &currentDirectory)
{
    job = CreateJobObjectA(nullptr, nullptr);
    if (!job)
        return Fail("CreateJobObjectA");
    port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (!port)
        return Fail("CreateIoCompletionPort");
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionKey = job;
    association.CompletionPort = port;
    if (!SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof(association)))
        return Fail("SetInformationJobObject");

    std::string commandLine = "\"" + programPath + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    // Suspended until it is in the job, so nothing it starts escapes.
    if (!CreateProcessA(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process))
        return Fail("CreateProcessA");
    const bool inJob = AssignProcessToJobObject(job, process.hProcess) != FALSE || Fail("AssignProcessToJobObject");
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1))
        Fail("ResumeThread");
    return inJob;
}

bool ChildProcess::Fail(const char *step)
{
    const DWORD error = GetLastError();
    if (failure.empty())
        failure = std::string(step) + " failed: " + system_error(error);
    return false;
}

std::string ChildProcess::Story() const
{
    std::string story = programPath;
    if (!process.hProcess)
        return story + " did not start: " + failure;
    story += " (process " + std::to_string(process.dwProcessId) + ")";
    DWORD code = STILL_ACTIVE;
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (GetExitCodeProcess(process.hProcess, &code) && code != STILL_ACTIVE &&
        GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
        char ending[64];
        std::snprintf(ending, sizeof(ending), " ended after %.0f ms with exit code %lu (0x%08lX)",
                      static_cast<double>(ticks(exited) - ticks(created)) / 1e4, static_cast<unsigned long>(code),
                      static_cast<unsigned long>(code));
        story += ending;
    } else {
        story += " still runs " + std::to_string(GetTickCount() - startTick) + " ms after its start";
    }
    return failure.empty() ? story : story + "; " + failure;
}

ChildProcess::~ChildProcess()
{
    if (process.hProcess) {
        if (!keep && Running())
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (newest)
        CloseHandle(newest);
    if (port)
        CloseHandle(port);
    if (job)
        CloseHandle(job);
}

bool ChildProcess::Running() const
{
    return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

int ChildProcess::WaitExit(DWORD timeoutMs)
{
    if (!process.hProcess)
        return -1;
    const DWORD waited = WaitForSingleObject(process.hProcess, timeoutMs);
    if (waited == WAIT_TIMEOUT) {
        failure = "not ended within " + std::to_string(timeoutMs) + " ms";
        return -1;
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0) {
        Fail("WaitForSingleObject");
        return -1;
    }
    if (!GetExitCodeProcess(process.hProcess, &code)) {
        Fail("GetExitCodeProcess");
        return -1;
    }
    return static_cast<int>(code);
}

DWORD ChildProcess::ActiveProcesses() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!job || !QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                           sizeof(accounting), nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

std::vector<DWORD> ChildProcess::Descendants()
{
    DWORD message = 0;
    ULONG_PTR key = 0;
    OVERLAPPED *detail = nullptr;
    while (started && GetQueuedCompletionStatus(port, &message, &key, &detail, 0)) {
        // For job messages the "overlapped" pointer carries the process id.
        const auto processId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
        if (message == JOB_OBJECT_MSG_NEW_PROCESS && processId != process.dwProcessId) {
            descendants.push_back(processId);
            if (newest)
                CloseHandle(newest);
            newest = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        }
    }
    return descendants;
}

int ChildProcess::WaitAll(DWORD timeoutMs)
{
    const bool ended = started && WaitUntil(
                                      [this] {
                                          Descendants();
                                          JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
                                          return QueryInformationJobObject(job, JobObjectBasicAccountingInformation,
                                                                           &accounting, sizeof(accounting), nullptr) &&
                                                 accounting.ActiveProcesses == 0;
                                      },
                                      timeoutMs);
    if (!ended) {
        failure = started ? std::to_string(ActiveProcesses()) + " of it and the " +
                                std::to_string(descendants.size()) + " processes it started still run after " +
                                std::to_string(timeoutMs) + " ms"
                          : "it was not in its job, so what it started is unknown";
        return -1;
    }
    // A descendant gone before it could be opened leaves its code unknown.
    HANDLE last = descendants.empty() ? process.hProcess : newest;
    DWORD code = 0;
    if (!last) {
        failure = "process " + std::to_string(descendants.back()) + ", the last it started, ended before its exit "
                  "code could be read";
        return -1;
    }
    if (!GetExitCodeProcess(last, &code)) {
        Fail("GetExitCodeProcess");
        return -1;
    }
    return static_cast<int>(code);
}

} // namespace testing
