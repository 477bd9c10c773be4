@echo off
rem The job done by hand: read the printer's two values with reg query and write them back with the
rem new driver field with reg add. Only the data line of reg query's answer holds a comma.
setlocal
set "PROFILE=HKCU\Software\Microsoft\Windows NT\CurrentVersion"
set "PRINTER=QV Color Tintwave 7310 PS"
call :rewrite PrinterPorts
call :rewrite Devices
exit /b 0

:rewrite
for /f "tokens=1,* delims=," %%a in ('reg query "%PROFILE%\%1" /v "%PRINTER%" 2^>nul') do (
  if not "%%b"=="" reg add "%PROFILE%\%1" /v "%PRINTER%" /t REG_SZ /d "QVKM7316,%%b" /f >nul
)
exit /b 0
