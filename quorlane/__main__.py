import sys

from .cli import main

if __name__ == "__main__":  # not again in the processes of `check` where they start by importing the main module
    sys.exit(main())
