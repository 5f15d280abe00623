@echo Hello from Quorvane!
