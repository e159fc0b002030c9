// What tracing costs a lookup: GetWriterFromLetter over 26 writers, which
// writes 27 trace records, against a bare loop over the same writers that
// writes none. Measured with nobody listening, with a sink, and with a trace
// file; the file is named when the library loads, so that case runs in a
// child process of this program started with RKDRV_TRACE_FILE set.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"

namespace
{
// The 26 drives A to Z; the lookups ask for the last.
CRKFakeManager& Manager()
{
    static CRKFakeManager* s_pManager = []
    {
        CRKFakeManager* pManager = new CRKFakeManager;
        std::vector<WORD> vecLetters;
        for (WORD wLetter = 'A'; wLetter <= 'Z'; ++wLetter)
            vecLetters.push_back(wLetter);
        pManager->List(vecLetters);
        return pManager;
    }();
    return *s_pManager;
}

class CRKCountingSink : public CRKLogSink
{
public:
    void Write(RKLogKind, const unsigned short*) override { ++nRecords; }
    long nRecords = 0;
};

// The floor: the same search over the same writers, with no trace record.
void BareLoop(benchmark::State& state)
{
    std::vector<CRKWriter*>& vecWriters = Manager().Table();
    for (auto _ : state)
    {
        CRKWriter* pFound = nullptr;
        for (CRKWriter* pWriter : vecWriters)
        {
            if (pWriter && pWriter->GetDriveLetter() == 'Z')
            {
                pFound = pWriter;
                break;
            }
        }
        benchmark::DoNotOptimize(pFound);
    }
}

void Lookup(benchmark::State& state)
{
    CRKDRVManager& manager = Manager();
    unsigned int uIndex = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(manager.GetWriterFromLetter('Z', uIndex));
}

void LookupWithSink(benchmark::State& state)
{
    CRKCountingSink sink;
    CRKLog::GetInstance()->SetSink(&sink);
    Lookup(state);
    CRKLog::GetInstance()->SetSink(nullptr);
}

// Keeps the real time per iteration of every run, for the ratios.
class CRKRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& vecRuns) override
    {
        for (const Run& run : vecRuns)
            mapNanoseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(vecRuns);
    }
    std::map<std::string, double> mapNanoseconds;
};

// Runs the registered benchmarks; the real time per iteration of each, by name.
std::map<std::string, double> RunBenchmarks(int nArgc, char** aszArgv)
{
    benchmark::Initialize(&nArgc, aszArgv);
    CRKRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.mapNanoseconds;
}

void PrintRatio(const char* szWhat, std::map<std::string, double>& mapNanoseconds, const char* szName,
                const char* szNote)
{
    double dFloor = mapNanoseconds["bare loop"];
    if (dFloor > 0)
        std::printf("%-28s %.2fx the bare loop%s\n", szWhat, mapNanoseconds[szName] / dFloor, szNote);
}

// The child's part: the lookup with the trace file open, beside its own floor.
int RunWithFile(int nArgc, char** aszArgv)
{
    benchmark::RegisterBenchmark("bare loop", BareLoop);
    benchmark::RegisterBenchmark("lookup, trace file", Lookup);
    std::map<std::string, double> mapNanoseconds = RunBenchmarks(nArgc, aszArgv);
    PrintRatio("lookup with a trace file:", mapNanoseconds, "lookup, trace file", "");
    return 0;
}
} // namespace

int main(int nArgc, char** aszArgv)
{
    if (getenv("RKDRV_TRACE_FILE"))
        return RunWithFile(nArgc, aszArgv);

    benchmark::RegisterBenchmark("bare loop", BareLoop);
    benchmark::RegisterBenchmark("lookup, no listener", Lookup);
    benchmark::RegisterBenchmark("lookup, sink", LookupWithSink);
    std::vector<char*> vecChildArgs(aszArgv, aszArgv + nArgc);
    std::map<std::string, double> mapNanoseconds = RunBenchmarks(nArgc, aszArgv);
    PrintRatio("lookup with no listener:", mapNanoseconds, "lookup, no listener", " (target: 3x at most)");
    PrintRatio("lookup with a sink:", mapNanoseconds, "lookup, sink", "");
    std::fflush(stdout);

    // The trace file goes to /dev/null: every record is still formatted and
    // written, and nothing fills the disk.
    pid_t nChild = fork();
    if (nChild == 0)
    {
        setenv("RKDRV_TRACE_FILE", "/dev/null", 1);
        vecChildArgs.push_back(nullptr);
        execv("/proc/self/exe", vecChildArgs.data());
        _exit(127);
    }
    int nStatus = 0;
    if (nChild < 0 || waitpid(nChild, &nStatus, 0) != nChild || !WIFEXITED(nStatus) ||
        WEXITSTATUS(nStatus) != 0)
    {
        std::fprintf(stderr, "the trace file run failed\n");
        return 1;
    }
    return 0;
}
