#include "engine/discovery/settings_lookup.h"

#include "engine/discovery/autoconfig_step.h"
#include "engine/discovery/provider_table.h"

#include <QTimer>

namespace {
// The network steps after the provider table, in order.
constexpr int kNetworkSteps = 3;
} // namespace

SettingsLookup::SettingsLookup(QObject* parent) : QObject(parent), m_stepTimer(new QTimer(this)) {
    m_stepTimer->setSingleShot(true);
    connect(m_stepTimer, &QTimer::timeout, this, [this] {
        if (m_step)
            OnStepDone(m_step->AtTimeOut());
    });
}

SettingsLookup::~SettingsLookup() {
    Cancel();
}

bool SettingsLookup::Running() const {
    return m_running;
}

void SettingsLookup::Cancel() {
    m_running = false;
    ++m_generation;
    DropStep();
}

void SettingsLookup::DropStep() {
    m_stepTimer->stop();
    if (m_step) {
        m_step->disconnect(this);
        m_step->deleteLater(); // it may be the one calling
        m_step = nullptr;
    }
}

void SettingsLookup::Finish(const FoundSettings& result) {
    DropStep();
    m_running = false;
    Q_EMIT Finished(result);
}

void SettingsLookup::Start(const MailAddress& address) {
    Cancel();
    m_address = address;
    m_running = true;
    if (const auto found = FromProviderTable(address.Domain)) {
        // Known at once, yet told from the event loop as the other steps are.
        QTimer::singleShot(0, this, [this, generation = m_generation, result = *found] {
            if (generation == m_generation && m_running)
                Finish(result);
        });
        return;
    }
    RunStep(0);
}

void SettingsLookup::RunStep(int index) {
    m_stepIndex = index;
    if (index >= kNetworkSteps) {
        Finish(FoundSettings());
        return;
    }
    LookupStep* step = nullptr;
    switch (index) {
    case 0:
        step = new AutoconfigStep(m_targets.AutoconfigUrlBase, m_targets.TrustedCas,
                                  m_targets.StepTimeoutMs, this);
        break;
    case 1:
        step =
            new SrvStep(m_targets.Srv ? m_targets.Srv : std::make_shared<DnsSrvAnswerer>(), this);
        break;
    default:
        step = new GuessStep(m_targets.Guess, this);
        break;
    }
    m_step = step;
    connect(step, &LookupStep::Done, this, &SettingsLookup::OnStepDone);
    m_stepTimer->start(m_targets.StepTimeoutMs);
    step->Start(m_address);
}

void SettingsLookup::OnStepDone(const FoundSettings& result) {
    if (!m_step || (sender() && sender() != m_step))
        return;
    DropStep();
    if (result.Found || result.NoPop3) {
        Finish(result);
        return;
    }
    RunStep(m_stepIndex + 1);
}
