// Runs the rkdrv tool as a child process, as a person or a script would,
// with an environment of the test's choosing.
#ifndef RKTOOLPROCESS_H
#define RKTOOLPROCESS_H

#include <map>
#include <string>
#include <vector>

struct RKToolRunResult
{
    int nExitCode = -1; // -1 when the process did not exit by itself
    int nSignal = 0;    // the signal that ended it, if one did
    bool bTimedOut = false;
    std::string strOut;
    std::string strErr;
    double dSeconds = 0; // from start to exit
};

class CRKToolProcess
{
public:
    CRKToolProcess() = default;
    ~CRKToolProcess();
    CRKToolProcess(const CRKToolProcess&) = delete;
    CRKToolProcess& operator=(const CRKToolProcess&) = delete;

    // The tool with the arguments; the environment is the test's own, less
    // every variable that would lead the tool elsewhere (library path,
    // RKDRV_*, WINEPREFIX), plus mapEnv.
    bool Start(const std::string& strProgram, const std::vector<std::string>& vecArgs,
               const std::map<std::string, std::string>& mapEnv);
    // Collects output until stderr (stdout) holds strText; false after
    // dTimeout seconds.
    bool WaitForStderr(const std::string& strText, double dTimeout);
    bool WaitForStdout(const std::string& strText, double dTimeout);
    // Ctrl-C, as a terminal sends it.
    void Interrupt();
    // Collects output until the process ends; kills it after dTimeout seconds.
    RKToolRunResult Finish(double dTimeout);

    const std::string& Stderr() const { return m_result.strErr; }
    const std::string& Stdout() const { return m_result.strOut; }

private:
    // Reads what is there, waiting up to nMilliseconds; false once both pipes closed.
    bool Pump(int nMilliseconds);
    bool WaitFor(const std::string& strCollected, const std::string& strText, double dTimeout);
    double Seconds() const;

    int m_nPid = -1;
    int m_nOutFd = -1;
    int m_nErrFd = -1;
    double m_dStart = 0;
    RKToolRunResult m_result;
};

// Starts, then finishes: the whole run.
RKToolRunResult RKToolRun(const std::string& strProgram, const std::vector<std::string>& vecArgs,
                          const std::map<std::string, std::string>& mapEnv, double dTimeout = 60);

// Lines of a text, without their line ends.
std::vector<std::string> RKToolLines(const std::string& strText);

#endif
