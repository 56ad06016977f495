@echo off
rem Makes Windows read the partition tables of the attached disks again, after
rem a program has rewritten or wiped them. Needs the rights of an administrator.
rem Nothing is written to any disk.
setlocal
set "script=%TEMP%\RescanDisks-%RANDOM%%RANDOM%.txt"
> "%script%" echo rescan
diskpart /s "%script%" > nul
del "%script%" > nul 2>&1
endlocal
exit /b 0
