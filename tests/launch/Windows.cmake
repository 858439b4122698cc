# Run under Wine (tests/WindowsTests.cmake): nothing yet.
