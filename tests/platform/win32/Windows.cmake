# Tests of the Windows Windows facilities (to be filled).
