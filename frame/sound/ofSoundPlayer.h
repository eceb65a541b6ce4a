#pragma once

// Sound for the frame, over SDL2_mixer and SDL's audio subsystem alone (the
// window stays with the frame's own windowing). One audio device serves every
// player; SDL mixes in its own audio thread, so playing only hands a sound to it.
//
// Implemented here:
//   - the device: opened once at 44100 Hz, signed 16-bit, 2 channels;
//   - players: a WAV or Ogg file held in memory in the device's format, played
//     over its own earlier plays and over other sounds, with a volume;
//   - muting every sound at once.
// Not implemented here: streamed music, positions, speed, panning.
//
// With no audio device (a server, a test machine, a broken sound setup) the
// opening prints one line and every later call returns at once.

#include <string>

struct Mix_Chunk;

// Device
bool ofSoundOpen();                     // once; false and one console line when there is no device
void ofSoundClose();                    // stops every sound; the next ofSoundOpen tries afresh
bool ofSoundIsOpen();

// Every sound
void ofSoundSetMuted(bool muted);       // muting stops what plays and keeps later plays silent
bool ofSoundIsMuted();
void ofSoundStopAll();

// One sound, loaded once and played as often as wanted. Playing, stopping and
// the volume allocate nothing; they take SDL's audio lock only to hand the
// change to the audio thread, which mixes.
class ofSoundPlayer {
public:
    ofSoundPlayer() = default;
    ~ofSoundPlayer();                   // unloads
    ofSoundPlayer(const ofSoundPlayer&) = delete;
    ofSoundPlayer& operator=(const ofSoundPlayer&) = delete;

    // Loading (opens the device first if nobody has)
    bool loadSound(const std::string& fileName);  // from the data folder; false and one console line
                                                  // if unreadable, false and no line with no device
    void unloadSound();

    // Playing
    void play();                        // on a free channel; nothing while muted or all are busy
    void stop();                        // every play of this sound under way
    void setVolume(float volume);       // 0 silent .. 1 as recorded; also for the plays under way

    bool bLoaded = false;               // a sound is held

private:
    Mix_Chunk* chunk = nullptr;         // the samples in the device's format; owned
    float volume = 1;                   // 0..1
};
