#include "ofSoundPlayer.h"

#include "ofUtils.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// ---- Device state ------------------------------------------------------------------

enum class Device { notTried, open, missing };

static Device device = Device::notTried;
static bool muted = false;

static const int deviceRate = 44100;
static const int deviceChannels = 2;
static const int samplesPerPass = 1024;        // 23 ms mixed at a time: the delay before a sound starts
static const int mixingChannels = 16;          // sounds that can play at once

// ---- Helpers -----------------------------------------------------------------------

// The audio back ends report a missing device on standard error, several lines
// each; the one line printed by ofSoundOpen says the same.
static bool openDeviceQuietly() {
    std::fflush(stderr);
    int savedError = dup(STDERR_FILENO);
    int discard = open("/dev/null", O_WRONLY);
    if (discard >= 0) {
        dup2(discard, STDERR_FILENO);
        close(discard);
    }
    bool opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    // No format changes allowed: SDL converts to whatever the hardware wants.
    opened = opened && Mix_OpenAudioDevice(deviceRate, AUDIO_S16SYS, deviceChannels, samplesPerPass, nullptr, 0) == 0;
    if (savedError >= 0) {
        dup2(savedError, STDERR_FILENO);
        close(savedError);
    }
    return opened;
}

// ---- Device ------------------------------------------------------------------------

bool ofSoundOpen() {
    if (device != Device::notTried) {
        return device == Device::open;
    }
    if (!openDeviceQuietly()) {
        std::printf("sound: no audio device (%s), the game stays silent\n", SDL_GetError());
        std::fflush(stdout);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device = Device::missing;
        return false;
    }
    Mix_AllocateChannels(mixingChannels);
    device = Device::open;
    return true;
}

void ofSoundClose() {
    if (device == Device::open) {
        Mix_HaltChannel(-1);
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    device = Device::notTried;
}

bool ofSoundIsOpen() {
    return device == Device::open;
}

// ---- Every sound -------------------------------------------------------------------

void ofSoundSetMuted(bool mute) {
    muted = mute;
    if (muted) {
        ofSoundStopAll();
    }
}

bool ofSoundIsMuted() {
    return muted;
}

void ofSoundStopAll() {
    if (device == Device::open) {
        Mix_HaltChannel(-1);
    }
}

// ---- ofSoundPlayer -----------------------------------------------------------------

ofSoundPlayer::~ofSoundPlayer() {
    unloadSound();
}

bool ofSoundPlayer::loadSound(const std::string& fileName) {
    unloadSound();
    if (!ofSoundOpen()) {
        return false;
    }
    std::string path = ofToDataPath(fileName);
    chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr) {
        std::printf("sound: cannot load %s\n", path.c_str());
        std::fflush(stdout);
        return false;
    }
    setVolume(volume);
    bLoaded = true;
    return true;
}

// Mix_FreeChunk halts the channels that play the sound before it frees it.
void ofSoundPlayer::unloadSound() {
    if (chunk != nullptr) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    bLoaded = false;
}

void ofSoundPlayer::play() {
    if (chunk == nullptr || muted || device != Device::open) {
        return;
    }
    Mix_PlayChannel(-1, chunk, 0);
}

void ofSoundPlayer::stop() {
    if (chunk == nullptr || device != Device::open) {
        return;
    }
    for (int channel = 0; channel < mixingChannels; channel++) {
        if (Mix_Playing(channel) && Mix_GetChunk(channel) == chunk) {
            Mix_HaltChannel(channel);
        }
    }
}

void ofSoundPlayer::setVolume(float newVolume) {
    volume = newVolume < 0 ? 0 : (newVolume > 1 ? 1 : newVolume);
    if (chunk != nullptr) {
        Mix_VolumeChunk(chunk, static_cast<int>(volume * MIX_MAX_VOLUME + 0.5f));
    }
}
