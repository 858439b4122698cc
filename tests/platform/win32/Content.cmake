# Tests of the Windows Content facilities (to be filled).
