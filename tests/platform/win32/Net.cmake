# Tests of the Windows Net facilities (to be filled).
