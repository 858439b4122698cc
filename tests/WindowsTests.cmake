# The tests that run under Wine against the Windows platform layer.
