// A program started by a test and the processes it starts in turn. The
// child runs in a job object of its own, so the test learns of every
// process it creates (a program started and ended within a moment included)
// and can ask each one's exit code. When a start or a wait goes wrong,
// Story() says which step it was and why.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing {

class ChildProcess {
public:
    // Starts `program` with `arguments` in `currentDirectory` (empty: the
    // test's own).
    ChildProcess(const std::string &program, const std::string &arguments,
                 const std::string &currentDirectory = std::string());
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    // Ends the child if it still runs (unless let go); what it started runs on.
    virtual ~ChildProcess();

    bool Started() const { return started; }
    DWORD ProcessId() const { return process.dwProcessId; }
    bool Running() const;
    // The exit code, or -1 when it has not ended in time.
    int WaitExit(DWORD timeoutMs = 10000);
    // What became of it so far, for a failure's message: the step that
    // failed with the system's error, or how long it ran and how it ended.
    std::string Story() const;
    // The ids of the processes it and they started so far, oldest first.
    std::vector<DWORD> Descendants();
    // Waits until it and every process it started have ended: the exit code
    // of the one started last (its own when it started none), or -1 when
    // they have not all ended in time or that code is unknown.
    int WaitAll(DWORD timeoutMs);
    // How many of it and them still run.
    DWORD ActiveProcesses() const;
    // Leaves the child running when this object ends.
    void LetGo() { keep = true; }

private:
    bool Start(const std::string &arguments, const std::string &currentDirectory);
    // Notes the step that failed with the last error; false.
    bool Fail(const char *step);

    std::string programPath;
    std::string failure;
    DWORD startTick = 0;
    bool started = false;
    bool keep = false;
    HANDLE job = nullptr;
    HANDLE port = nullptr;
    PROCESS_INFORMATION process = {};
    std::vector<DWORD> descendants;
    HANDLE newest = nullptr; // the last descendant, held open for its exit code
};

} // namespace testing
