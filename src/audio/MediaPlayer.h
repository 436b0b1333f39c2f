#pragma once
// The program's one media player: opens an MP3 file, tells its length and
// plays it whole or a range of it, with pause, resume and stop. Used from
// the user-interface thread only; decoding and sound output run on their
// own threads, so no call waits for the sound.
//
// Call orders the program uses:
//   measure:      FileName, Open, Length, Close
//   play:         FileName, Open, [StartPos, EndPos,] Play
//   stop:         Stop, Close          pause or resume: Pause

#include "audio/Mp3Probe.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class TMediaPlayer : public QObject {
    Q_OBJECT
public:
    enum class Mode { NotOpen, Stopped, Playing, Paused };

    // Every file plays at this rate in 16-bit stereo, whatever its frames
    // hold (a joined file may change rate and channel count midway).
    static constexpr int kOutputRate = 44100;

    explicit TMediaPlayer(QObject* parent = nullptr);
    ~TMediaPlayer() override;

    // The medium: set before Open, read back for the status line.
    QString FileName;
    // Range of the next Play only, in ms; unset means from the beginning
    // and to the end. Play clears both.
    std::optional<qint64> StartPos;
    std::optional<qint64> EndPos;

    // Closes what was open, then opens FileName and checks that it holds
    // MPEG audio. Needs no sound output. Throws EMCIDeviceError.
    void Open();
    // Stops and closes; with nothing open it does nothing. Never throws.
    void Close() noexcept;
    // Length of the open medium in ms.
    qint64 Length() const;
    // Starts playing the whole medium or StartPos..EndPos and returns at
    // once. A range the file cannot serve plays what it can, or nothing.
    // Throws EMCIDeviceError when no sound output can be opened.
    void Play();
    // Playing: pauses; paused: resumes; otherwise nothing.
    void Pause();
    // Stops playing; the medium stays open.
    void Stop();

    Mode mode() const;
    // Where in the open file the sound handed to the output has got, in ms,
    // while a Play runs (also paused); no value otherwise.
    std::optional<qint64> Position() const;

signals:
    // A Play reached the end of its range (not emitted by Stop or Close).
    void finished();

private:
    struct Playback;
    void requireOpen() const;
    void initAudio();
    void endPlayback() noexcept;
    void playbackDrained(quint64 generation);

    std::optional<Mp3Info> info_; // set while a medium is open
    QString openPath_;
    std::unique_ptr<Playback> playback_;
    quint64 generation_ = 0;
    bool audioInitialised_ = false; // this player holds SDL's audio subsystem
};
