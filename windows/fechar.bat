@echo off
rem Started hidden by Brisfold when its database cannot be opened. It leaves support a report
rem beside the program; it must never wait for input, as no window is shown.
setlocal
cd /d "%~dp0"
set "report=%~dp0suporte-banco.txt"
(
  echo Brisfold: o banco de dados nao pode ser aberto em %date% %time%
  echo Pasta do programa: %~dp0
  dir "%~dp0BD"
  icacls "%~dp0BD"
  icacls "%~dp0BD\BANCO.db"
  tasklist /fi "imagename eq Brisfold.exe"
) > "%report%" 2>&1
msg "%username%" /time:60 "Brisfold: erro no banco de dados. Avise o suporte. Detalhes em %report%" >nul 2>&1
exit /b 0
