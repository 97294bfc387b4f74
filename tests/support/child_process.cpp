#include "child_process.h"

#include "radio_program.h"

namespace testing {

ChildProcess::ChildProcess(const std::string &program, const std::string &arguments,
                           const std::string &currentDirectory)
{
    job = CreateJobObjectA(nullptr, nullptr);
    port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (!job || !port)
        return;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionKey = job;
    association.CompletionPort = port;
    if (!SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof(association)))
        return;

    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    // Suspended until it is in the job, so nothing it starts escapes.
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process))
        return;
    started = AssignProcessToJobObject(job, process.hProcess) != FALSE;
    ResumeThread(process.hThread);
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
    if (!process.hProcess || WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
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
    // A descendant gone before it could be opened leaves its code unknown.
    HANDLE last = descendants.empty() ? process.hProcess : newest;
    DWORD code = 0;
    if (!ended || !last || !GetExitCodeProcess(last, &code))
        return -1;
    return static_cast<int>(code);
}

} // namespace testing
