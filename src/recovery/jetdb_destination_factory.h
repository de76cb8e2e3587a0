// The production DestinationFactory: each destination is a new Jet 4
// database written by our own writer through rebuilding's destination objects
// (rebuild::JetdbDestination). With a run report attached, the state's
// destination is the reporting decoration of it and every created
// destination begins a new file in the report.
#pragma once

#include <memory>

#include "rebuild/jetdb_destination.h"

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
    std::unique_ptr<rebuild::JetdbDestination> destination_;
    std::unique_ptr<ReportingDestination> reporting_;
};

}  // namespace tessaly::recovery
