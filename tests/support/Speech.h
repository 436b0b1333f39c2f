#pragma once
// Test helper: Polish speech spoken by espeak-ng, put together with silences
// of known length into recordings whose title lies exactly where the maker
// put it: the truth against which found titles are measured.

#include <QByteArray>
#include <QString>
#include <vector>

// espeak-ng's rate; recordings may be made at twice it.
inline constexpr int kSpeechRate = 22050;

// The text spoken with the Polish voice, 16-bit mono at kSpeechRate, cut to
// its first and last sample above -40 dBFS, at espeak-ng's own speed or at
// wordsPerMinute. Throws std::runtime_error when espeak-ng cannot be run.
std::vector<short> speak(const QString& text, int wordsPerMinute = 0);

struct RecordingPlan {
    int sampleRate = kSpeechRate; // kSpeechRate or twice it
    int leadInMs = 0;             // silence before the title
    int pauseMs = 1000;           // silence after the title
    int bodyPauseMs = 250;        // silence between the body's sentences
    double gainDb = 0;            // applied to everything but the noise
    double noiseDbfs = 0;         // white noise of this RMS over everything; 0: none
    int clickAtMs = -1;           // a 20 ms tone burst at this time; -1: none
    int burstAtMs = -1;           // white noise from this time (a knock, a breath); -1: none
    int burstMs = 0;              // for this long
    double burstDbfs = -20;       // at this RMS
    unsigned seed = 1;            // of the noise
};

// Lead-in, title, pause, then the body's sentences (repeated until the
// recording is at least minimumMs long).
struct Recording {
    int sampleRate = kSpeechRate;
    std::vector<short> samples; // mono
    int titleStartMs = 0;       // first sample of the title's speech
    int titleEndMs = 0;         // just after its last sample
};
Recording makeRecording(const RecordingPlan& plan, const std::vector<short>& title,
                        const std::vector<std::vector<short>>& body, int minimumMs = 0);

// How a recording is encoded (at its own rate; with VBR, a tag and a Xing
// header in front).
struct SpeechEncoding {
    int channels = 1;
    bool vbr = false;
    int kbps = 64;
};
// The recording as MP3 bytes, and its title's place on the decoder's time base.
struct EncodedRecording {
    QByteArray mp3;
    int titleStartMs = 0;
    int titleEndMs = 0;
};
EncodedRecording encodeRecording(const Recording& r, const SpeechEncoding& e);
