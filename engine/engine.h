// The instrument's sound engine as an object: the voice (with its pitch correction), the MIDI
// encoder and the filter stage, one output sample after another. It holds no global state, so
// several engines can play in one process; the audio thread, the render tool and other hosts
// drive it.
//
// Prepare does every allocation (the filter stage, when the engine builds its own); Render and
// NextSample allocate nothing, take no lock and never wait.
#pragma once

#include <cstdint>

#include "engine/midi_encoder.h"
#include "engine/midi_player.h"
#include "engine/parameter_derivation.h"
#include "engine/pitch_mapping.h"
#include "engine/voice.h"
#include "filter/fir_stage.h"

class CTuning;

// What an engine plays with, from Prepare to the end of play; SetTone changes the tone's params.
struct EngineSettings {
    DerivedParameters params;
    double dRate = 44100.0;            // output samples per second
    const CTuning* pTuning = nullptr;  // guides' and correction's tuning; null: no correction
    bool bCorrectionOn = true;         // whether the correction acts from the start
    double dStrength = 1.0;            // of the correction, 0 .. 1
    // MIDI out: the queue the encoder feeds (null: off), as for the audio thread.
    CMidiEventQueue* pMidiOut = nullptr;
    MidiMode midiMode = MidiMode::Mpe;
    int nMidiBendRange = CMidiEncoder::kDefaultBendRange;
    bool bMidiRateLimit = true;
};

// A change at a sample of a block: the pointer and buttons, the correction switched, or a MIDI
// message (which moves the pointer to what MIDI plays; the buttons stay as they are).
struct EngineEvent {
    enum class Kind : std::uint8_t { Pointer, Correction, Midi };
    std::uint32_t nOffset = 0;  // sample within the block
    Kind kind = Kind::Pointer;
    double dX = 0.0;
    double dY = 1.0;
    bool bLeft = false;
    bool bRight = false;
    double dModScale = 1.0;  // a pen's share of the modulation strength
    bool bCorrection = false;
    std::uint8_t nMidiSize = 0;
    std::uint8_t midi[3] = {};
};

class CEngine {
public:
    CEngine() = default;
    ~CEngine() { ReleaseFilter(); }
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    // Starts play: silence, the pointer at the bottom left. pStage is a filter stage built and
    // released by the caller (the program's session), or null for none; BuildFilter makes one of
    // the engine's own instead.
    void Prepare(const EngineSettings& settings, FirStageState* pStage = nullptr);
    // A new tone from the next sample on, at any sample, allocating nothing: the voice keeps its
    // phases, amplitude and glides, MIDI its held notes, bends and bend ranges, the correction its
    // state, and held buttons shift by the new amounts. The other settings stay as Prepare set them.
    void SetTone(const DerivedParameters& params) noexcept;
    // Builds the engine's own filter stage from the settings; false when memory runs out.
    bool BuildFilter(const FirStageSettings& fir);
    // Plays through another stage built and released by the caller (null: none) from the next
    // sample on, the voice going on as it is; allocates and frees nothing, so a host may switch
    // stages between blocks. Not for an engine that built its own.
    void UseFilter(FirStageState* pStage) noexcept;

    // The pitch value a pointer x sounds at, and back: for guides and hosts.
    const PitchMapping& Mapping() const { return m_mapping; }

    // One output sample for this input, on the 16-bit scale (not clipped).
    double NextSample(const VoiceInput& in) noexcept;
    // An event, now (before the next sample).
    void Apply(const EngineEvent& e) noexcept;
    // nFrames samples into pOut, applying each event at its offset (events in offset order).
    void Render(double* pOut, int nFrames, const EngineEvent* pEvents, int nEvents) noexcept;
    // The end of play: MIDI's last messages.
    void End() noexcept;

    const CVoice& Voice() const { return m_voice; }
    // Where the MIDI received so far puts the pointer.
    double MidiX() const { return m_player.X(); }
    double MidiY() const { return m_player.Y(); }
    std::uint64_t SamplesRendered() const { return m_nSample; }

private:
    void ReleaseFilter();

    CVoice m_voice;
    CMidiEncoder m_midi;
    CMidiPlayer m_player;  // MIDI in
    bool m_bMidi = false;
    PitchMapping m_mapping;
    FirStageState* m_pStage = nullptr;
    FirStageState m_ownStage;
    int m_nDelayPos = 0;
    std::uint64_t m_nSample = 0;
    VoiceInput m_in;
    EngineSettings m_settings;
    bool m_bLeft = false;  // the buttons as the last pointer event left them
    bool m_bRight = false;
    bool m_bMidiDriving = false;  // the last event that moved the pointer was MIDI
};
