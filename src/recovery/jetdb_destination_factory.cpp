#include "recovery/jetdb_destination_factory.h"

namespace tessaly::recovery {

JetdbDestinationFactory::JetdbDestinationFactory(RunReport* report) : report_(report) {}

JetdbDestinationFactory::~JetdbDestinationFactory() = default;

bool JetdbDestinationFactory::create(RecoveryState& state, const std::filesystem::path& path) {
    close(state);
    auto destination = std::make_unique<rebuild::JetdbDestination>();
    try {
        destination->create(path);
    } catch (const jetdb::EngineError&) {
        return false;
    }
    destination_ = std::move(destination);
    if (report_) {
        report_->begin_file();
        reporting_ = std::make_unique<ReportingDestination>(*destination_->bundle(), *report_);
        state.destination = reporting_->bundle();
    } else {
        state.destination = destination_->bundle();
    }
    return true;
}

void JetdbDestinationFactory::close(RecoveryState& state) {
    state.destination = nullptr;
    if (!destination_) return;
    try {
        if (destination_->database().is_open()) destination_->database().close();
    } catch (const jetdb::EngineError&) {
        // The writer removes what it could not finish; nothing more to do here.
    }
    reporting_.reset();
    destination_.reset();
}

}  // namespace tessaly::recovery
