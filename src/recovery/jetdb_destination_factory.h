// The production DestinationFactory: each destination is a new Jet 4
// database written by our own writer (jetdb::Database). With a run report
// attached, the state's destination is the reporting decoration of it and
// every created destination begins a new file in the report.
//
// The writer stores tables and rows; saved queries and relations are refused
// (EngineError) for as long as it cannot store them, which rebuilding treats
// like any refusal.
#pragma once

#include <memory>

#include "recovery/run_report.h"
#include "recovery/save_run.h"

namespace tessaly::recovery {

class JetdbDestinationFactory : public DestinationFactory {
  public:
    explicit JetdbDestinationFactory(RunReport* report = nullptr);
    ~JetdbDestinationFactory() override;
    bool create(RecoveryState& state, const std::filesystem::path& path) override;
    void close(RecoveryState& state) override;

  private:
    RunReport* report_;
    class Open;
    std::unique_ptr<Open> destination_;
    std::unique_ptr<ReportingDestination> reporting_;
};

}  // namespace tessaly::recovery
