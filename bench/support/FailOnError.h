#pragma once

// The main of a benchmark program that exits with status 1 when a run met
// an error (SkipWithError): its figure is not of what it says, and a script
// that runs the program must not take it as measured.

#include <benchmark/benchmark.h>

#include <vector>

namespace benchsupport {

class ErrorCountingReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
            errors_ += run.error_occurred ? 1 : 0;
        ConsoleReporter::ReportRuns(runs);
    }
    int errors() const { return errors_; }

private:
    int errors_ = 0;
};

inline int runFailingOnError(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ErrorCountingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.errors() == 0 ? 0 : 1;
}

} // namespace benchsupport

#define BENCHMARK_MAIN_FAILING_ON_ERROR()                                                                              \
    int main(int argc, char** argv) { return benchsupport::runFailingOnError(argc, argv); }
