@echo off
rem Checks every PC listed in pcs.txt (one NetBIOS name or address a line, ";" starts a comment)
rem and records each errorlevel in results.csv. Run it next to cairnmark.exe.
setlocal EnableDelayedExpansion
set DOMAIN=NEWDOM
> results.csv echo pc,errorlevel
for /f "usebackq eol=; tokens=1" %%P in ("pcs.txt") do (
  cairnmark.exe /M %%P /T %DOMAIN% /P /S /Q
  >> results.csv echo %%P,!errorlevel!
)
