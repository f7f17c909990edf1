#pragma once
// The small state icons of the download list's rows (grey waiting, blue
// downloading, green finished, red failed), installed on the list model.
void InstallStateIcons();
