"""Every module of this folder registers its routes when it is imported; a
new module is picked up without any other change."""

import importlib
import pkgutil


def load_all():
    for module in sorted(m.name for m in pkgutil.iter_modules(__path__)):
        importlib.import_module(__name__ + "." + module)
