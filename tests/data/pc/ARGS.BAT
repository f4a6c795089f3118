@echo off
rem a remark that prints nothing
echo zero=%0 one=%1 two=%2 ten=%9.
echo.
echo 100%%
pause
NOLF
