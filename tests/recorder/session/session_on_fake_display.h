// A take session over a fake display and a view of its own, in a temporary data folder with the
// test audio device: the fixture of the session's tests that need no main window.
#pragma once

#include "capture_test_support.h"
#include "fake_take_display.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "session/take_session.h"

#include "widgets/waveform_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace wavelark::testing {

class SessionOnFakeDisplay : public ::testing::Test {
protected:
    void SetUp() override { useTestDevice("test:input=sine,1000,-6"); }
    void TearDown() override
    {
        m_session.reset();
        useTestDevice("test");
    }
    // Starts a session (a second call starts a fresh one over the same data folder, as a restart).
    void start()
    {
        m_session.reset();
        m_view.reset();
        m_session = std::make_unique<TakeSession>(m_state.settings, m_state.paths, m_display);
        m_view = std::make_unique<WaveformView>(*m_session, QRect(0, 0, 555, 115), nullptr);
        m_session->setPicture(*m_view);
        m_session->initialise();
        m_session->showStartupMessages();
    }
    std::filesystem::path folder() const { return m_state.folder.path(); }
    // A 44100 Hz stereo WAV of a quarter-scale 1 kHz tone, to import.
    std::string writeSourceWav(double seconds)
    {
        const std::string path = (folder() / "source.wav").string();
        writeFile(path, sineWav(44100, 2, seconds, 1000, 0.25));
        return path;
    }

    CaptureFixtureState m_state;
    FakeTakeDisplay m_display;
    std::unique_ptr<WaveformView> m_view;  // destroyed after the session that draws on it
    std::unique_ptr<TakeSession> m_session;
};

}
