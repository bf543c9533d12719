#pragma once
#include <QIcon>

// The program's icon, drawn rather than shipped as a file.
QIcon ProgramIcon();
