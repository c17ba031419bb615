/* Test infrastructure for the Windows tests under Wine, never shipped.
 *
 * Plays a spreadsheet that has a file open: opens FILE for reading and writing
 * with no sharing at all, writes READY beside it once it holds it, and keeps it
 * open until the file STOP exists (at most a minute).
 *   hold_file.exe FILE READY STOP */
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    HANDLE held = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready != INVALID_HANDLE_VALUE)
        CloseHandle(ready);
    for (int i = 0; i < 600 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    CloseHandle(held);
    return 0;
}
