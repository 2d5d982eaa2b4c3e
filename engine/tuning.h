// Tunings for the note guides and pitch correction: the notes of a scale as frequencies, from
// 12-tone equal temperament or a Scala scale (.scl) with an optional keyboard mapping (.kbm).
// Built on the user-interface thread; read-only while a session plays.
#pragma once

#include <string>
#include <vector>

struct TuningNote {
    double dLog2Hz;  // log2 of the frequency
    int nDegree;     // scale degree, 0 .. size − 1 (0: C in 12-TET)
    int nOctave;     // octave number; degree 0 of octave 4 is middle C (or degree 0's frequency)
};

class CTuning {
public:
    static constexpr double kDefaultA4 = 440.0;
    static constexpr double kDefaultDegree0 = 261.6256;  // Scala without a mapping: middle C
    static constexpr int kMaxNotes = 4096;               // notes kept between 8 Hz and 24 kHz

    // 12-TET with A4 at dA4 Hz.
    static CTuning EqualTemperament(double dA4 = kDefaultA4);

    // A Scala scale, mapped by the .kbm when one is named ("" for none); dReference, when above 0,
    // is the frequency of degree 0 (it overrides the mapping's reference). False with a message
    // that names the file and the line.
    static bool LoadScala(const std::string& strScl, const std::string& strKbm, double dReference,
                          CTuning& tuning, std::string& strError);

    bool IsEqualTemperament() const { return m_bTwelveTet; }
    int Size() const { return m_nSize; }
    const std::vector<TuningNote>& Notes() const { return m_notes; }  // ascending

    // The note nearest to a pitch (log2 Hz); the table is never empty.
    const TuningNote& Nearest(double dLog2Hz) const;
    // "A4" in 12-TET, "4.7" (octave.degree) otherwise.
    std::string Name(const TuningNote& note) const;

private:
    void Add(double dHz, int nDegree, int nOctave);
    void Finish();

    std::vector<TuningNote> m_notes;
    int m_nSize = 12;
    bool m_bTwelveTet = true;
};

// What the player chose for the guides and the correction (the settings file keeps it).
struct TuningChoice {
    bool bGuides = false;
    bool bQuantise = false;
    std::string strScale;   // .scl; empty: 12-TET
    std::string strKbm;     // .kbm; empty: none
    double dReference = 0;  // Hz of A4 (12-TET) or of degree 0; 0: the default
    int nStrength = 100;    // how far held notes are drawn, percent

    bool InUse() const { return bGuides || bQuantise; }
    // The tuning it names; false with the reader's message.
    bool Build(CTuning& tuning, std::string& strError) const {
        if (strScale.empty()) {
            tuning = CTuning::EqualTemperament(dReference > 0 ? dReference : CTuning::kDefaultA4);
            return true;
        }
        return CTuning::LoadScala(strScale, strKbm, dReference, tuning, strError);
    }
};
