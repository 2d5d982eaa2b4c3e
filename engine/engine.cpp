// The engine's per-sample chain.
#include "engine/engine.h"

#include <cmath>

#include "engine/two_pi.h"
#include "platform/sample_scale.h"

void CEngine::Prepare(const EngineSettings& s, FirStageState* pStage) {
    const DerivedParameters& d = s.params;
    m_mapping = PitchMapping::Of(d.dPitchRange, d.dBaseOctave, d.nOverCycle, kVoiceTwoPi, s.dRate);
    m_player.Init(m_mapping);
    m_voice.Start(VoiceParams::For(d, s.pTuning, s.dStrength, s.dRate));
    m_bMidi = s.pMidiOut != nullptr;
    if (m_bMidi) {
        m_midi.Init(s.midiMode, s.nMidiBendRange, m_mapping, s.pMidiOut, s.bMidiRateLimit);
        m_midi.Configure(0);
    }
    if (pStage != nullptr) {
        ReleaseFilter();
        m_pStage = pStage;
    }
    m_nDelayPos = 0;
    m_nSample = 0;
    m_in = VoiceInput{0.0, 1.0, 1.0, 1.0, s.pTuning != nullptr && s.bCorrectionOn};
    m_settings = s;
    m_bLeft = false;
    m_bRight = false;
    m_bMidiDriving = false;
}

void CEngine::SetTone(const DerivedParameters& d) noexcept {
    const EngineSettings& s = m_settings;
    m_settings.params = d;
    m_mapping = PitchMapping::Of(d.dPitchRange, d.dBaseOctave, d.nOverCycle, kVoiceTwoPi, s.dRate);
    m_player.SetMapping(m_mapping);
    if (m_bMidi) m_midi.SetMapping(m_mapping);
    m_voice.Change(VoiceParams::For(d, s.pTuning, s.dStrength, s.dRate));
    m_in.dLeftClickFactor = m_bLeft ? d.dLeftShiftRatio : 1.0;
    m_in.dRightClickFactor = m_bRight ? d.dRightShiftRatio : 1.0;
    // What MIDI plays sounds where the new mapping puts it.
    if (m_bMidiDriving) m_in.dPointerX = m_player.X();
}

bool CEngine::BuildFilter(const FirStageSettings& fir) {
    ReleaseFilter();
    const bool bOk = BuildFirStage(fir, m_ownStage) != FALSE;
    m_pStage = &m_ownStage;
    m_nDelayPos = 0;
    return bOk;
}

void CEngine::UseFilter(FirStageState* pStage) noexcept {
    m_pStage = pStage;
    m_nDelayPos = 0;
}

void CEngine::ReleaseFilter() {
    if (m_pStage == &m_ownStage) ReleaseFirStage(m_ownStage);
    m_pStage = nullptr;
}

double CEngine::NextSample(const VoiceInput& in) noexcept {
    double v = m_voice.NextSample(in);
    if (m_bMidi) {
        m_midi.Process(m_nSample, m_voice.TargetAmp(), m_voice.Amp(), m_voice.PhaseInc(),
                       m_voice.TargetInc());
    }
    if (m_pStage != nullptr && m_pStage->pFirStage1 != nullptr)
        v = ProcessFirStage(*m_pStage, v, m_nDelayPos);
    ++m_nSample;
    return v;
}

void CEngine::Render(double* pOut, int nFrames, const EngineEvent* pEvents, int nEvents) noexcept {
    int e = 0;
    for (int i = 0; i < nFrames; ++i) {
        for (; e < nEvents && pEvents[e].nOffset <= static_cast<std::uint32_t>(i); ++e) Apply(pEvents[e]);
        pOut[i] = NextSample(m_in);
    }
}

void CEngine::Apply(const EngineEvent& ev) noexcept {
    if (ev.kind == EngineEvent::Kind::Correction) {
        m_in.bQuantiseOn = ev.bCorrection;
    } else if (ev.kind == EngineEvent::Kind::Midi) {
        m_player.Receive(ev.midi, ev.nMidiSize);
        m_in.dPointerX = m_player.X();
        m_in.dPointerY = m_player.Y();
        m_bMidiDriving = true;
    } else {
        m_bMidiDriving = false;
        m_in.dPointerX = ev.dX;
        m_in.dModScale = ev.dModScale;
        m_in.dPointerY = ev.dY;
        m_bLeft = ev.bLeft;
        m_bRight = ev.bRight;
        m_in.dLeftClickFactor = ev.bLeft ? m_settings.params.dLeftShiftRatio : 1.0;
        m_in.dRightClickFactor = ev.bRight ? m_settings.params.dRightShiftRatio : 1.0;
    }
}

void CEngine::End() noexcept {
    if (m_bMidi) m_midi.End(m_nSample);
}
