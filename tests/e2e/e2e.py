print("TODO")
