#pragma once
// The three notice sounds: 101 a finished web page, 102 the end of the list
// (or the error stop), 103 a failed row. They are resources of the program,
// written to the program's folder as 101.wav, 102.wav and 103.wav when first
// needed, and played without waiting. Where no sound can be written or
// played, nothing is heard and nothing else happens.
#include "queue/downloadsession.h"

#include <QString>

#include <functional>

// The file of notice n in the program's folder, written from the resources
// when it is missing. Empty when n is not a notice or the file cannot be
// written.
QString NoticeSoundFile(int n);
// Plays notice n through the installed player; silent without one (the
// windows install the sound player, queue/ui/noticeplayer.h).
void PlayNotice(int n);
using NoticePlayer = std::function<void(const QString &wavFile)>;
void setNoticePlayer(NoticePlayer player);

// Hooks that play the notices (the window installs them on its session).
class NoticeHooks : public TransferHooks {
public:
    void playNotice(int sound) override { PlayNotice(sound); }
};
