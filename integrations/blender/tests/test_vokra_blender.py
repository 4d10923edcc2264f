# The add-on inside real Blender: blender -b --factory-startup --python-exit-code 1 --python
# test_vokra_blender.py -- GROUP, GROUP being import, rigs, sequencer or package. VOKRA_CLI names
# the built vokra-cli, VOKRA_VERSION the project's version.
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from input_cases import BadInput, ImportKeys, ImportShapes  # noqa: E402
from rig_cases import Faults, Rigs  # noqa: E402
from sequencer_cases import Package, Sequencer  # noqa: E402

GROUPS = {"import": (ImportKeys, ImportShapes, BadInput), "rigs": (Rigs, Faults),
          "sequencer": (Sequencer,),
          "package": (Package,)}

if __name__ == "__main__":
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else list(GROUPS)
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(case)
                               for group in args for case in GROUPS[group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        raise SystemExit(1)
