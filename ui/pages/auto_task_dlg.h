// CAutoTaskDlg: the task list window, owner of the task messages 1254-1260.
#pragma once

#include "ui/task_windows/auto_task_dlg.h"
