# The extension's fixed identities, read by the extension's layout and by the registrar that
# names them in the host manifests. The Chromium id is derived from the public key, so the two
# change only together.
set(TARNWICK_CHROMIUM_KEY "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEA8921WSXo7h2r5jL+YiQJPy5sN0rQWX7/rlkmVApwJTxbuYOSYyc9SCyEa/eRJT0+JJpC35ve11ti2oIj8R0B+zKWKXoc8LAHNPRl4BhajVndp5VtIUHA3tJvWC26Ox+JdkFM9Ok5/aTYmIORA0S7pk1y9Y9JvCQOBzqpSZZkcik3p7KHZ1U/rTSTGv3go726LRWWaRGlmoUiVYQdF+adxJvEuUTtyz6rSghAijmQ2z5m5jwEH7EPof4FZfrvmrqNPq+oj7DAyb2+wTE+DKOGwqAbk332U+N2I5DHHjLudE1kT1rhMEb2Pc22dTXMsi38H+dAfE54yP6lwcqSPKK5CwIDAQAB")
set(TARNWICK_CHROMIUM_ID "jclfpcndecccghhfelckllaaglfajkoh")
set(TARNWICK_GECKO_ID "quillet@tarnwick.ostrand")
