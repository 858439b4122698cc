# Tests of the Windows Basics facilities (to be filled).
