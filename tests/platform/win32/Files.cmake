# Tests of the Windows Files facilities (to be filled).
