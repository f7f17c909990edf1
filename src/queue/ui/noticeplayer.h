#pragma once
// Plays the notice sounds with the multimedia module, without waiting.
void InstallNoticePlayer();
